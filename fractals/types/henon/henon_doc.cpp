#include "henon_doc.h"

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace fractals {

namespace {

constexpr int kMaxSteps = 89;
constexpr double kEscape2 = 1e9;

std::optional<std::string> bracketed(const std::string& text)
{
    const auto open = text.find('(');
    const auto close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return std::nullopt;
    return text.substr(open + 1, close - open - 1);
}

} // namespace

double leadingNumber(const std::string& text)
{
    // The C library's conversion itself (blanks, sign, hexadecimal, infinities, overflow to
    // infinity), pinned to the "C" locale so that a decimal comma of the user's language
    // never changes what a field means.
    static const locale_t cLocale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    if (cLocale == static_cast<locale_t>(0))
        return 0.0;
    return ::strtod_l(text.c_str(), nullptr, cLocale);
}

std::string Complex::text() const
{
    // %f of the largest double has 316 characters.
    char buf[2 * 330];
    std::snprintf(buf, sizeof buf, "(%f,%f)", re, im);
    return buf;
}

std::optional<Complex> Complex::parse(const std::string& text)
{
    const auto inner = bracketed(text);
    if (!inner)
        return std::nullopt;
    const auto comma = inner->find(',');
    if (comma == std::string::npos)
        return std::nullopt;
    return Complex{leadingNumber(inner->substr(0, comma)), leadingNumber(inner->substr(comma + 1))};
}

double FourVector::length() const
{
    return std::sqrt(x * x + y * y + s * s + t * t);
}

std::string FourVector::text() const
{
    char buf[4 * 330];
    std::snprintf(buf, sizeof buf, "(%f,%f,%f,%f)", x, y, s, t);
    return buf;
}

std::optional<FourVector> FourVector::parse(const std::string& text)
{
    const auto inner = bracketed(text);
    if (!inner)
        return std::nullopt;
    double parts[4];
    std::string rest = *inner;
    for (int k = 0; k < 3; ++k) {
        const auto comma = rest.find(',');
        if (comma == std::string::npos)
            return std::nullopt;
        parts[k] = leadingNumber(rest.substr(0, comma));
        rest = rest.substr(comma + 1);
    }
    parts[3] = leadingNumber(rest);
    return FourVector{parts[0], parts[1], parts[2], parts[3]};
}

bool isLongEnough(const FourVector& v)
{
    return v.length() >= 1e-12;
}

CHenonDoc::CHenonDoc()
{
    m_strTypeKey = "Henon";
    m_strTypeName = "Henon Map";
    m_defaultC = {-0.2, 0.75};
    m_defaultD = {0, 0};
    m_defaultPosition = {-1.5, 1.2, 0, 0};
    m_defaultHorizontal = {3, 0, 0, 0};
    m_defaultVertical = {0, -2.4, 0, 0};
    m_c = m_defaultC;
    m_d = m_defaultD;
    m_position = m_defaultPosition;
    m_horizontal = m_defaultHorizontal;
    m_vertical = m_defaultVertical;
}

void CHenonDoc::Serialize(Archive& ar)
{
    CFractalDoc::Serialize(ar);
    for (double* v : {&m_c.re, &m_c.im, &m_d.re, &m_d.im})
        ar.io(*v);
    for (FourVector* f : {&m_position, &m_horizontal, &m_vertical}) {
        ar.io(f->x);
        ar.io(f->y);
        ar.io(f->s);
        ar.io(f->t);
    }
}

bool CHenonDoc::setCoordinates(const FourVector& position, const FourVector& horizontal,
                               const FourVector& vertical)
{
    if (!isLongEnough(horizontal) || !isLongEnough(vertical))
        return false;
    m_position = position;
    m_horizontal = horizontal;
    m_vertical = vertical;
    return true;
}

std::unique_ptr<CFractalDoc> CHenonDoc::cloneEmpty() const
{
    return std::make_unique<CHenonDoc>();
}

void CHenonDoc::assignFrom(const CFractalDoc& other)
{
    CFractalDoc::assignFrom(other);
    const auto& o = static_cast<const CHenonDoc&>(other);
    m_c = o.m_c;
    m_d = o.m_d;
    m_position = o.m_position;
    m_horizontal = o.m_horizontal;
    m_vertical = o.m_vertical;
}

int henonIndex(double x, double y, double s, double t, const Complex& c, const Complex& d)
{
    int k = 0;
    while (k < kMaxSteps) {
        if (x * x + y * y + s * s + t * t > kEscape2)
            break;
        // (w, z) <- (w² + C + D·z, D·w), all from the old w and z.
        const double nx = x * x - y * y + d.re * s - d.im * t + c.re;
        const double ny = 2 * x * y + d.im * s + d.re * t + c.im;
        const double ns = d.re * x - d.im * y;
        const double nt = d.im * x + d.re * y;
        x = nx;
        y = ny;
        s = ns;
        t = nt;
        ++k;
    }
    return k;
}

HenonRule::HenonRule(const CHenonDoc& doc, int width, int height)
    : EscapeRule(width, height), c_(doc.c()), d_(doc.d()), position_(doc.position())
{
    const FourVector& h = doc.horizontal();
    const FourVector& v = doc.vertical();
    const double w = width > 0 ? width : 1, hh = height > 0 ? height : 1;
    stepH_ = {h.x / w, h.y / w, h.s / w, h.t / w};
    stepV_ = {v.x / hh, v.y / hh, v.s / hh, v.t / hh};
}

bool HenonRule::computeRows(int i, std::uint8_t* out, RunGate* gate, int& rowsDone) const
{
    for (int j = 0; j < height(); ++j) {
        const double x = position_.x + i * stepH_.x + j * stepV_.x;
        const double y = position_.y + i * stepH_.y + j * stepV_.y;
        const double s = position_.s + i * stepH_.s + j * stepV_.s;
        const double t = position_.t + i * stepH_.t + j * stepV_.t;
        out[j] = static_cast<std::uint8_t>(henonIndex(x, y, s, t, c_, d_));
        rowsDone = j + 1;
        if (gate && !gate->poll())
            return false;
    }
    // This type also looks at the flag after every column.
    return !gate || gate->running();
}

HenonSlice henonZoom(const CHenonDoc& doc, int clientWidth, int clientHeight, int left, int top,
                     int right, int bottom)
{
    const double w = clientWidth, h = clientHeight;
    const FourVector& p = doc.position();
    const FourVector& hv = doc.horizontal();
    const FourVector& vv = doc.vertical();
    const double fl = left / w, ft = top / h, fw = (right - left) / w, fh = (bottom - top) / h;
    return {{p.x + fl * hv.x + ft * vv.x, p.y + fl * hv.y + ft * vv.y, p.s + fl * hv.s + ft * vv.s,
             p.t + fl * hv.t + ft * vv.t},
            {fw * hv.x, fw * hv.y, fw * hv.s, fw * hv.t},
            {fh * vv.x, fh * vv.y, fh * vv.s, fh * vv.t}};
}

} // namespace fractals
