#pragma once
// The complex Henon map (w, z) -> (w² + C + D·z, D·w) on C² = R⁴, drawn on a plane slice given
// by a position and two spanning four-vectors.
#include "escape_render.h"
#include "fractal_doc.h"

#include <optional>
#include <string>

namespace fractals {

struct Complex {
    double re = 0, im = 0;
    bool operator==(const Complex&) const = default;
    std::string text() const; // "(%f,%f)"
    // "(re,im)": the first "(" and the last ")" must exist and a "," lie between them.
    static std::optional<Complex> parse(const std::string& text);
};

// The point (w, z) = (x + i·y, s + i·t).
struct FourVector {
    double x = 0, y = 0, s = 0, t = 0;
    bool operator==(const FourVector&) const = default;
    double length() const;
    std::string text() const; // "(%f,%f,%f,%f)"
    // "(x,y,s,t)": three commas between the brackets; anything after the third comma is read
    // for the number it starts with.
    static std::optional<FourVector> parse(const std::string& text);
};

// Reads the number a text starts with, after blanks; 0 when there is none. Independent of
// the process locale, so a file or a field reads the same everywhere.
double leadingNumber(const std::string& text);

inline constexpr const char* kMsgVectorTooShort =
    "One of the coordinate vectors are too short. You must lengthen it so that Kaleidra will be "
    "able to calculate "
    "it properly.";
inline constexpr const char* kMsgBadVectorFormat =
    "Please follow the format for the vectors and the complex numbers properly. One of your "
    "vectors or complex "
    "numbers are invalid.";

class CHenonDoc : public CFractalDoc {
public:
    CHenonDoc();
    void Serialize(Archive& ar) override;

    const Complex& c() const { return m_c; }
    const Complex& d() const { return m_d; }
    const FourVector& position() const { return m_position; }
    const FourVector& horizontal() const { return m_horizontal; }
    const FourVector& vertical() const { return m_vertical; }
    const Complex& defaultC() const { return m_defaultC; }
    const Complex& defaultD() const { return m_defaultD; }
    const FourVector& defaultPosition() const { return m_defaultPosition; }
    const FourVector& defaultHorizontal() const { return m_defaultHorizontal; }
    const FourVector& defaultVertical() const { return m_defaultVertical; }

    // Changing the equation or the slice alone does not mark the document modified.
    void setEquation(const Complex& c, const Complex& d)
    {
        m_c = c;
        m_d = d;
    }
    // The coordinate setter: refuses (returns false, changes nothing) when either spanning
    // vector is shorter than 1e-12, so a picture never has a zero pixel step.
    bool setCoordinates(const FourVector& position, const FourVector& horizontal,
                        const FourVector& vertical);

private:
    std::unique_ptr<CFractalDoc> cloneEmpty() const override;
    void assignFrom(const CFractalDoc& other) override;

    Complex m_c, m_d;
    FourVector m_position, m_horizontal, m_vertical;
    Complex m_defaultC, m_defaultD;
    FourVector m_defaultPosition, m_defaultHorizontal, m_defaultVertical;
};

bool isLongEnough(const FourVector& v);

int henonIndex(double x, double y, double s, double t, const Complex& c, const Complex& d);

class HenonRule : public EscapeRule {
public:
    HenonRule(const CHenonDoc& doc, int width, int height);

protected:
    bool computeRows(int i, std::uint8_t* out, RunGate* gate, int& rowsDone) const override;

private:
    Complex c_, d_;
    FourVector position_, stepH_, stepV_;
};

// The slice after dragging the pixel rectangle (left, top)-(right, bottom) in a client of
// clientWidth × clientHeight; position, horizontal, vertical in this order.
struct HenonSlice {
    FourVector position, horizontal, vertical;
};
HenonSlice henonZoom(const CHenonDoc& doc, int clientWidth, int clientHeight, int left, int top,
                     int right, int bottom);

} // namespace fractals
