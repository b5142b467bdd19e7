// The six document templates with the window parts of each type.
#include "doc_types.h"
#include "henon_view.h"
#include "julia_properties.h"
#include "julia_view.h"
#include "lsystem_view.h"
#include "main_wnd.h"

namespace fractals {

namespace {

std::function<std::unique_ptr<CFractalDoc>()> pendingDocument(const DocType& type);

// A type this build has no document class for yet: an empty window that cannot be saved.
class CPendingTypeDoc : public CFractalDoc {
public:
    explicit CPendingTypeDoc(std::string typeName)
    {
        m_strTypeKey.clear();
        m_strTypeName = std::move(typeName);
    }

private:
    std::unique_ptr<CFractalDoc> cloneEmpty() const override
    {
        return std::make_unique<CPendingTypeDoc>(m_strTypeName);
    }
};

std::function<std::unique_ptr<CFractalDoc>()> pendingDocument(const DocType& type)
{
    return [&type] { return std::make_unique<CPendingTypeDoc>(type.field(2)); };
}

bool editJulia(CFractalDoc& doc, QWidget* parent, int iconId)
{
    return editJuliaProperties(static_cast<CJuliaDoc&>(doc), iconId, parent);
}

std::vector<ViewTemplate> buildTemplates()
{
    std::vector<ViewTemplate> list;
    for (const DocType& type : docTypes()) {
        ViewTemplate t{&type, type.makeDocument, nullptr, nullptr,
                       static_cast<bool>(type.makeDocument)};
        switch (type.id) {
        case 8:
            t.makeView = [](CFractalDoc* d) -> CFractalView* {
                return new CMandelView(static_cast<CMandelDoc*>(d));
            };
            t.editProperties = [](CFractalDoc& d, QWidget* p) { return editJulia(d, p, 8); };
            break;
        case 7:
            t.makeView = [](CFractalDoc* d) -> CFractalView* {
                return new CJuliaView(static_cast<CJuliaDoc*>(d));
            };
            t.editProperties = [](CFractalDoc& d, QWidget* p) { return editJulia(d, p, 7); };
            break;
        case 9:
            t.makeView = [](CFractalDoc* d) -> CFractalView* {
                return new CJuliacosView(static_cast<CJuliacosDoc*>(d));
            };
            t.editProperties = [](CFractalDoc& d, QWidget* p) { return editJulia(d, p, 9); };
            break;
        case 4:
            t.makeView = [](CFractalDoc* d) -> CFractalView* {
                return new CLsystemView(static_cast<CLsystemDoc*>(d));
            };
            t.editProperties = [](CFractalDoc& d, QWidget* p) {
                return editLsystemProperties(static_cast<CLsystemDoc&>(d), p);
            };
            break;
        case 6:
            t.makeView = [](CFractalDoc* d) -> CFractalView* {
                return new CHenonView(static_cast<CHenonDoc*>(d));
            };
            t.editProperties = [](CFractalDoc& d, QWidget* p) {
                return editHenonProperties(static_cast<CHenonDoc&>(d), p);
            };
            break;
        default:
            t.makeView = [](CFractalDoc* d) -> CFractalView* { return new CFractalView(d); };
            break;
        }
        if (!t.makeDocument)
            t.makeDocument = pendingDocument(type);
        list.push_back(std::move(t));
    }
    return list;
}

} // namespace

const std::vector<ViewTemplate>& viewTemplates()
{
    static const std::vector<ViewTemplate> templates = buildTemplates();
    return templates;
}

const ViewTemplate* viewTemplate(int id)
{
    for (const auto& t : viewTemplates())
        if (t.type->id == id)
            return &t;
    return nullptr;
}

} // namespace fractals
