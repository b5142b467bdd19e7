// The registry of the window side of the document kinds.
#include "doc_types.h"
#include "main_wnd.h"

namespace fractals {

namespace {

// A kind this build has no document class for yet: an empty window that cannot be saved.
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

std::deque<ViewTemplate>& registry()
{
    static std::deque<ViewTemplate> templates;
    return templates;
}

} // namespace

void registerViewTemplate(ViewTemplate tmpl)
{
    for (ViewTemplate& t : registry()) {
        if (t.type->id == tmpl.type->id) {
            t = std::move(tmpl);
            return;
        }
    }
    registry().push_back(std::move(tmpl));
}

ViewTemplate pendingViewTemplate(const DocType& type)
{
    ViewTemplate t;
    t.type = &type;
    const std::string name = type.field(2);
    t.makeDocument = [name] { return std::make_unique<CPendingTypeDoc>(name); };
    t.makeView = [](CFractalDoc* d) -> CFractalView* { return new CFractalView(d); };
    t.available = false;
    return t;
}

const std::deque<ViewTemplate>& viewTemplates()
{
    return registry();
}

const ViewTemplate* viewTemplate(int id)
{
    for (const auto& t : viewTemplates())
        if (t.type->id == id)
            return &t;
    return nullptr;
}

} // namespace fractals
