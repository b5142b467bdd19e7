#include "doc_types.h"

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

namespace {

std::deque<DocType>& registry()
{
    static std::deque<DocType> types;
    return types;
}

} // namespace

void registerDocType(DocType type)
{
    for (DocType& t : registry()) {
        if (t.id == type.id) {
            t = std::move(type);
            return;
        }
    }
    registry().push_back(std::move(type));
}

const std::deque<DocType>& docTypes()
{
    return registry();
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

std::string documentFailureReason(std::string_view bytes, const ArchiveException& e)
{
    // Its first two lines, as its writer puts them; a reader may have saved it with CR LF.
    constexpr std::string_view kDeclaration = "<?xml version=\"1.0\"?>";
    if (bytes.starts_with(kDeclaration)) {
        std::string_view rest = bytes.substr(kDeclaration.size());
        if (rest.starts_with("\r"))
            rest.remove_prefix(1);
        if (rest.starts_with("\n<document>"))
            return kOrmolithDocumentText;
    }
    return archiveFailureReason(e);
}

std::string loadFailureMessage(const std::string& path, const std::string& reason)
{
    return "Failed to open document \"" + path + "\".\n" + reason;
}

} // namespace fractals
