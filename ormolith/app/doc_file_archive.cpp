#include "doc_file_archive.h"

#include <limits>
#include <string_view>

namespace ormolith {

namespace {

// Control characters and blanks; bytes of UTF-8 sequences are not blanks.
bool isBlank(char c)
{
    return static_cast<unsigned char>(c) < '!';
}

// The white space skipped before a node line (as scanf skips it).
bool isSpace(int c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

} // namespace

DocFileArchive::DocFileArchive(std::ostream& out) : ParamArchive(true, true), out_(&out) {}

DocFileArchive::DocFileArchive(std::istream& in) : ParamArchive(false, true), in_(&in) {}

void DocFileArchive::beginDocument()
{
    if (writing_) {
        *out_ << "<?xml version=\"1.0\"?>\n<document>\n";
    } else {
        skipLine();
        skipLine();
    }
}

void DocFileArchive::endDocument()
{
    if (writing_)
        *out_ << "</document>\n";
    else
        skipLine();
}

bool DocFileArchive::visit(ParamNode& node)
{
    return writing_ ? writeNode(node) : readNode(node);
}

void DocFileArchive::closeGroup()
{
    ParamArchive::closeGroup();
    if (writing_)
        *out_ << std::string(static_cast<std::size_t>(depth), '\t') << "</folder>\n";
    else
        skipLine(); // whatever stands there, even a blank line, is taken as the closing line
}

bool DocFileArchive::writeNode(const ParamNode& node)
{
    const bool group = isGroup(node.kind);
    std::string line(static_cast<std::size_t>(depth > 0 ? depth : 0), '\t');
    line += group ? "<folder" : "<var";
    line += " name=\"";
    line += node.name;
    line += '"';
    const std::string text = formatValue(node);
    if (!text.empty()) {
        line += " value=\"";
        line += text;
        line += '"';
    }
    line += group ? ">\n" : "/>\n";
    *out_ << line;
    return static_cast<bool>(*out_);
}

void DocFileArchive::skipLine()
{
    in_->ignore(std::numeric_limits<std::streamsize>::max(), '\n');
}

// Skips white space, blank lines included, then takes the rest of the line. An overlong line
// is consumed whole so that the next node still starts on the next line.
bool DocFileArchive::readNodeLine(std::string& line)
{
    std::istream& in = *in_;
    int c;
    while ((c = in.peek()) != std::char_traits<char>::eof() && isSpace(c))
        in.get();
    if (c == std::char_traits<char>::eof())
        return false;
    // Only the part the reader looks at is kept: a file that is one endless line (a binary
    // picked by mistake) must not be held in memory whole.
    line.clear();
    while ((c = in.get()) != std::char_traits<char>::eof() && c != '\n')
        if (line.size() < kMaxLineLength)
            line += static_cast<char>(c);
    return true;
}

bool DocFileArchive::readNode(const ParamNode& node)
{
    if (!readNodeLine(line_)) {
        ++unmatched_;
        return false;
    }
    const bool group = isGroup(node.kind);
    std::string_view rest(line_);
    auto consume = [&](std::string_view token) {
        if (rest.substr(0, token.size()) != token)
            return false;
        rest.remove_prefix(token.size());
        return true;
    };
    auto skipBlanks = [&] {
        while (!rest.empty() && isBlank(rest.front()))
            rest.remove_prefix(1);
    };
    if (!consume(group ? "<folder" : "<var")) {
        ++unmatched_;
        return false;
    }
    skipBlanks();
    if (!consume("name=\"") || !consume(node.name) || !consume("\"")) {
        ++unmatched_;
        return false;
    }
    skipBlanks();
    while (!rest.empty() && isBlank(rest.back()))
        rest.remove_suffix(1);
    if (!consume("value=\"")) {
        // A group written without a value ends right here; that is its expected form.
        if (!(group && node.value == nullptr && rest == ">"))
            ++unmatched_;
        return false;
    }
    const std::string_view ending = group ? "\">" : "\"/>";
    if (rest.size() < ending.size() || rest.substr(rest.size() - ending.size()) != ending) {
        ++unmatched_;
        return false;
    }
    rest.remove_suffix(ending.size());
    valueText_.assign(rest);
    if (!parseValue(node, valueText_)) {
        ++unmatched_;
        return false;
    }
    return true;
}

} // namespace ormolith
