#include "web_page.h"

namespace fractals {

std::string formatMessage(const std::string& pattern, const std::string& one,
                          const std::string& two)
{
    std::string out;
    out.reserve(pattern.size() + one.size() + two.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() &&
            (pattern[i + 1] == '1' || pattern[i + 1] == '2')) {
            out += pattern[i + 1] == '1' ? one : two;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::string appletClassName(const CFractalDoc& doc)
{
    return doc.typeKey().empty() ? std::string("Fractal") : doc.typeKey();
}

std::string makeWebPage(const CFractalDoc& doc, const std::string& pageTitle)
{
    const std::string font =
        "<font face=\"Tahoma,Verdana,Arial,Helvetica,Times New Roman,Times\" size=2>";
    std::string page;
    page += formatMessage("<html>\n\n<head><title>%1</title></head>\n\n<body leftmargin=3 "
                          "topmargin=3 bgcolor=#ffffff "
                          "text=#000000 link=#0000ff vlink=#000080 alink=#ff0000>\n%2\n\n",
                          pageTitle, font);
    page += formatMessage("<font size=5><b>%1 - Java Applet</b></font><p>\n\n", doc.typeName());
    page += formatMessage("<table>\n<tr valign=top><td "
                          "width=150>%1<b>Name:</b></font></td><td>%1%2</font></td></tr>\n",
                          font, doc.name());
    page += formatMessage(
        "<tr valign=top><td>%1<b>Author:</b></font></td><td>%1%2</font></td></tr>\n</table><p>\n\n",
        font, doc.author());
    page += formatMessage(
        "<applet codebase=\".\" code=\"%1.class\" id=FractalApplet name=FractalApplet width=249 "
        "height=190 alt=\"%2 Java Applet\">\n",
        appletClassName(doc), doc.typeName());
    page += doc.GetHtmlParams();
    page += "</applet>\n\n</font></body>\n\n</html>\n";
    return page;
}

} // namespace fractals
