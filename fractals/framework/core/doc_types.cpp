#include "doc_types.h"

#include "cosine_rule.h"
#include "henon_doc.h"
#include "julia_doc.h"
#include "lsystem_doc.h"
#include "mandel_rule.h"

#include <algorithm>
#include <cctype>

namespace fractals {

std::string DocType::field(int index) const
{
    std::string s = templateString;
    std::size_t start = 0;
    for (int k = 0; k < index; ++k) {
        const std::size_t nl = s.find('\n', start);
        if (nl == std::string::npos)
            return {};
        start = nl + 1;
    }
    const std::size_t end = s.find('\n', start);
    return s.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

const std::vector<DocType>& docTypes()
{
    static const std::vector<DocType> types = {
        {3,
         "\nFractal\nIterated Function System\nIterated Function System "
         "(*.ifs)\n.ifs\nFractals.IFS\nKaleidra 98 File",
         "ifs", nullptr, nullptr},
        {4,
         "\nFractal\nL-System Fractal\nL-System Fractal (*.lsf)\n.lsf\nFractals.LSystem\nKaleidra "
         "98 File",
         "lsystem", [] { return CLsystemDoc::makeNew(); }, nullptr},
        {6, "\nFractal\nHenon Map\nHenon Map (*.hmf)\n.hmf\nFractals.Henon\nKaleidra 98 File",
         "henon", [] { return std::make_unique<CHenonDoc>(); },
         [](const CFractalDoc& doc, int w, int h) -> std::unique_ptr<EscapeRule> {
             return std::make_unique<HenonRule>(static_cast<const CHenonDoc&>(doc), w, h);
         }},
        {7, "\nFractal\nJulia Set\nJulia Set (*.jls)\n.jls\nFractals.Juliaset\nKaleidra 98 File",
         "julia", [] { return std::make_unique<CJuliaDoc>(); },
         [](const CFractalDoc& doc, int w, int h) -> std::unique_ptr<EscapeRule> {
             const auto& j = static_cast<const CJuliaDoc&>(doc);
             return makeJuliaRule(j.rect(), j.equation(), w, h);
         }},
        {8,
         "\nFractal\nMandelbrot Set\nMandelbrot Set (*.mnd)\n.mnd\nFractals.Mandel\nMandelbrot "
         "Sets File",
         "mandel", [] { return std::make_unique<CMandelDoc>(); },
         [](const CFractalDoc& doc, int w, int h) -> std::unique_ptr<EscapeRule> {
             const auto& m = static_cast<const CJuliaDoc&>(doc);
             return std::make_unique<MandelRule>(m.rect(), m.equation(), w, h);
         }},
        {9,
         "\nFractal\nJulia Set w/ Cosines\nJulia Set w/ Cosines "
         "(*.cjs)\n.cjs\nFractals.Juliacos\nKaleidra 98 File",
         "juliacos", [] { return std::make_unique<CJuliacosDoc>(); },
         [](const CFractalDoc& doc, int w, int h) -> std::unique_ptr<EscapeRule> {
             const auto& j = static_cast<const CJuliaDoc&>(doc);
             return std::make_unique<CosineRule>(j.rect(), j.equation().a, w, h);
         }},
    };
    return types;
}

const DocType* docTypeById(int id)
{
    for (const auto& t : docTypes())
        if (t.id == id)
            return &t;
    return nullptr;
}

const DocType* docTypeByExtension(const std::string& extensionWithDot)
{
    std::string ext = extensionWithDot;
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    for (const auto& t : docTypes())
        if (t.field(4) == ext)
            return &t;
    return nullptr;
}

const DocType* docTypeByCommandLineName(const std::string& name)
{
    for (const auto& t : docTypes())
        if (name == t.commandLineName)
            return &t;
    return nullptr;
}

std::string archiveFailureReason(const ArchiveException& e)
{
    switch (e.cause()) {
    case ArchiveException::badSchema:
        return "Unexpected file format: the file was written by an unsupported version (bad "
               "schema).";
    case ArchiveException::endOfFile:
        return "Unexpected file format: the file ends too early.";
    default:
        return std::string("Unexpected file format (") + archiveCauseName(e.cause()) + ").";
    }
}

std::string loadFailureMessage(const std::string& path, const std::string& reason)
{
    return "Failed to open document \"" + path + "\".\n" + reason;
}

} // namespace fractals
