#include "julia_doc.h"

namespace fractals {

bool isValidJuliaRect(const JuliaRect& r)
{
    return r.right - r.left > 1e-12 && r.top - r.bottom > 1e-12;
}

CJuliaDoc::CJuliaDoc()
{
    m_strTypeKey = "Juliaset";
    m_strTypeName = "Julia Set";
    setDefaults({-1.5, 1.2, 1.5, -1.2}, {0, 1, 0, -0.2, 0.75});
}

void CJuliaDoc::setDefaults(const JuliaRect& r, const JuliaEquation& e)
{
    m_defaultRect = r;
    m_defaultEquation = e;
    m_rect = r;
    m_equation = e;
}

void CJuliaDoc::Serialize(Archive& ar)
{
    CFractalDoc::Serialize(ar);
    ar.io(m_rect.left);
    ar.io(m_rect.top);
    ar.io(m_rect.right);
    ar.io(m_rect.bottom);
    ar.io(m_equation.d);
    ar.io(m_equation.b);
    ar.io(m_equation.a);
    ar.io(m_equation.cRe);
    ar.io(m_equation.cIm);
}

std::string CJuliaDoc::GetHtmlParams() const
{
    std::string s = CFractalDoc::GetHtmlParams();
    s += htmlRealParam("left", m_rect.left);
    s += htmlRealParam("right", m_rect.right);
    s += htmlRealParam("top", m_rect.top);
    s += htmlRealParam("bottom", m_rect.bottom);
    s += htmlRealParam("z1", m_equation.d);
    s += htmlRealParam("z2", m_equation.b);
    s += htmlRealParam("z3", m_equation.a);
    s += htmlRealParam("c_re", m_equation.cRe);
    s += htmlRealParam("c_im", m_equation.cIm);
    return s;
}

void CJuliaDoc::ResetZoom()
{
    m_rect = m_defaultRect;
    SetModifiedFlag();
}

void CJuliaDoc::ResetEquation()
{
    m_equation = m_defaultEquation;
    SetModifiedFlag();
}

std::unique_ptr<CFractalDoc> CJuliaDoc::cloneEmpty() const
{
    return std::make_unique<CJuliaDoc>();
}

void CJuliaDoc::assignFrom(const CFractalDoc& other)
{
    CFractalDoc::assignFrom(other);
    const auto& o = static_cast<const CJuliaDoc&>(other);
    m_rect = o.m_rect;
    m_equation = o.m_equation;
}

CMandelDoc::CMandelDoc()
{
    m_strTypeKey = "Mandel";
    m_strTypeName = "Mandelbrot Set";
    setDefaults({-2.1, 1.2, 0.7, -1.2}, {0, 1, 0, 0, 0});
}

std::unique_ptr<CFractalDoc> CMandelDoc::cloneEmpty() const
{
    return std::make_unique<CMandelDoc>();
}

CJuliacosDoc::CJuliacosDoc()
{
    m_strTypeKey = "Juliacos";
    m_strTypeName = "Julia Set w/ Cosines";
    setDefaults({-2, 2, 2, -2}, {0, 0, 2.98, 0, 0});
}

std::unique_ptr<CFractalDoc> CJuliacosDoc::cloneEmpty() const
{
    return std::make_unique<CJuliacosDoc>();
}

} // namespace fractals
