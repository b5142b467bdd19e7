#pragma once
// The escape-time documents: the coordinate rectangle and the five equation parameters
// shared by the Mandelbrot set, the Julia set and the Julia set with cosines.
#include "fractal_doc.h"

#include <array>
#include <memory>

namespace fractals {

struct JuliaRect {
    double left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const JuliaRect&) const = default;
};

// In file order: d (z), b (z²), a (z³), then the constant c.
struct JuliaEquation {
    double d = 0, b = 0, a = 0, cRe = 0, cIm = 0;
    bool operator==(const JuliaEquation&) const = default;
};

// The rectangle the properties page accepts: right of left and above bottom by more than a
// rounding error, so a picture never divides by a zero span.
bool isValidJuliaRect(const JuliaRect& r);
inline constexpr const char* kMsgInvalidRect =
    "Either the left and right or the top and bottom coordinates are invalid. Please make sure "
    "they are not "
    "reversed. Also, the coordinates may be too close together.";

class CJuliaDoc : public CFractalDoc {
public:
    CJuliaDoc(); // the Julia set type
    void Serialize(Archive& ar) override;
    std::string GetHtmlParams() const override;

    virtual void ResetZoom();
    virtual void ResetEquation();

    const JuliaRect& rect() const { return m_rect; }
    const JuliaEquation& equation() const { return m_equation; }
    const JuliaRect& defaultRect() const { return m_defaultRect; }
    const JuliaEquation& defaultEquation() const { return m_defaultEquation; }
    void setRect(const JuliaRect& r)
    {
        m_rect = r;
        SetModifiedFlag();
    }
    void setEquation(const JuliaEquation& e)
    {
        m_equation = e;
        SetModifiedFlag();
    }
    // The text of the equation label on the properties page.
    virtual const char* equationLabel() const
    {
        return "Equation: az\xC2\xB3 + bz\xC2\xB2 + dz + c.";
    }

protected:
    void setDefaults(const JuliaRect& r, const JuliaEquation& e);

private:
    std::unique_ptr<CFractalDoc> cloneEmpty() const override;
    void assignFrom(const CFractalDoc& other) override;

    JuliaRect m_rect;
    JuliaEquation m_equation;
    JuliaRect m_defaultRect;
    JuliaEquation m_defaultEquation;
};

class CMandelDoc : public CJuliaDoc {
public:
    CMandelDoc();
    const char* equationLabel() const override
    {
        return "Equation: az\xC2\xB3 + bz\xC2\xB2 + dz + x + yi.";
    }

private:
    std::unique_ptr<CFractalDoc> cloneEmpty() const override;
};

class CJuliacosDoc : public CJuliaDoc {
public:
    CJuliacosDoc();
    const char* equationLabel() const override { return "Equation: a(cos z)."; }

private:
    std::unique_ptr<CFractalDoc> cloneEmpty() const override;
};

} // namespace fractals
