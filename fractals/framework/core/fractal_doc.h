#pragma once
// The common document base of the six fractal types: identity texts, name and author, the
// file path and modified flag, and the serialisation that every type calls first.
#include "archive.h"

#include <filesystem>
#include <memory>
#include <string>

namespace fractals {

class CFractalDoc {
public:
    CFractalDoc();
    virtual ~CFractalDoc() = default;
    CFractalDoc(const CFractalDoc&) = delete;
    CFractalDoc& operator=(const CFractalDoc&) = delete;

    const std::string& typeKey() const { return m_strTypeKey; }
    const std::string& typeName() const { return m_strTypeName; }
    const std::string& name() const { return m_strName; }
    const std::string& author() const { return m_strAuthor; }
    void SetName(const std::string& name);
    void SetAuthor(const std::string& author);

    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool modified = true) { m_bModified = modified; }
    const std::filesystem::path& pathName() const { return m_strPathName; }
    void setPathName(const std::filesystem::path& path) { m_strPathName = path; }

    // Reads or writes the whole document; types call the base first, then their fields.
    virtual void Serialize(Archive& ar);

    // Applet parameter lines for the web-page export.
    virtual std::string GetHtmlParams() const;
    // What the web-page export says instead of writing a page, for a type without an applet;
    // null when the page can be written.
    virtual const char* webPageRefusal() const { return nullptr; }

    // File level: the whole document as bytes, and loading it from bytes. Loading throws the
    // archive exception of the first failed check and leaves the document untouched then.
    std::string saveToBytes();
    void loadFromBytes(const std::string& bytes);

protected:
    static std::string htmlTextParam(const std::string& name, const std::string& value);
    static std::string htmlRealParam(const std::string& name, double value);

    std::string m_strTypeKey;
    std::string m_strTypeName;
    std::string m_strName;
    std::string m_strAuthor;

    // Lets loadFromBytes read into a scratch copy first, so a failed load changes nothing.
    virtual std::unique_ptr<CFractalDoc> cloneEmpty() const = 0;
    virtual void assignFrom(const CFractalDoc& other);

private:
    std::filesystem::path m_strPathName;
    bool m_bModified = false;
};

} // namespace fractals
