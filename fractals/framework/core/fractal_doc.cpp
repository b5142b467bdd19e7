#include "fractal_doc.h"

#include "file_header.h"

#include <cstdio>

namespace fractals {

CFractalDoc::CFractalDoc() : m_strTypeKey("Fractal"), m_strTypeName("Kaleidra") {}

void CFractalDoc::SetName(const std::string& name)
{
    if (name != m_strName) {
        SetModifiedFlag();
        m_strName = name;
    }
}

void CFractalDoc::SetAuthor(const std::string& author)
{
    if (author != m_strAuthor) {
        SetModifiedFlag();
        m_strAuthor = author;
    }
}

void CFractalDoc::Serialize(Archive& ar)
{
    if (ar.IsStoring()) {
        ReadWriteFileHeader(ar);
        if (!m_strTypeKey.empty()) {
            ar.writeString(m_strTypeKey);
            ar.writeString(m_strName);
            ar.writeString(m_strAuthor);
        }
        return;
    }
    const int version = ReadWriteFileHeader(ar);
    if (version > 7 || version < 4)
        throw ArchiveException(ArchiveException::badSchema);
    if (!m_strTypeKey.empty()) {
        if (ar.readString() != m_strTypeKey)
            throw ArchiveException(ArchiveException::badIndex);
        m_strName = ar.readString();
        m_strAuthor = ar.readString();
    }
}

std::string CFractalDoc::GetHtmlParams() const
{
    return "    <param name=\"start\" value=\"true\">\n"
           "    <param name=\"changes\" value=\"true\">\n";
}

std::string CFractalDoc::htmlTextParam(const std::string& name, const std::string& value)
{
    return "    <param name=\"" + name + "\" value=\"" + value + "\">\n";
}

std::string CFractalDoc::htmlRealParam(const std::string& name, double value)
{
    char buf[512];
    std::snprintf(buf, sizeof buf, "    <param name=\"%s\" value=\"%f\">\n", name.c_str(), value);
    return buf;
}

std::string CFractalDoc::saveToBytes()
{
    Archive ar = Archive::forWriting();
    Serialize(ar);
    return ar.bytes();
}

void CFractalDoc::loadFromBytes(const std::string& bytes)
{
    std::unique_ptr<CFractalDoc> scratch = cloneEmpty();
    Archive ar = Archive::forReading(bytes);
    scratch->Serialize(ar);
    assignFrom(*scratch);
    SetModifiedFlag(false);
}

void CFractalDoc::assignFrom(const CFractalDoc& other)
{
    m_strName = other.m_strName;
    m_strAuthor = other.m_strAuthor;
}

} // namespace fractals
