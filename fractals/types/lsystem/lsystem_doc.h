#pragma once
// The L-System document: an axiom, production rules "X=body" and the turtle's angles. The
// run parameters (depth and stretch) live with the open document but never go to its file.
#include "fractal_doc.h"

#include <string>
#include <string_view>
#include <vector>

namespace fractals {

inline constexpr const char* kMsgAxiomInvalid =
    "The axiom included invalid characters or is empty. Please input a proper axiom.";
inline constexpr const char* kMsgUnmatchedBrackets =
    "The selected rule or axiom contains unmatched or extra brackets. Please check to make sure "
    "all of them are properly matched.";
inline constexpr const char* kMsgNoRules = "You must define at least one production rule.";
inline constexpr const char* kMsgReplaceRule = "Replace the current production rule for %s?";
inline constexpr const char* kMsgReplacementInvalid =
    "You must specify a valid production rule (replace with) for the variable.";
inline constexpr const char* kMsgVariableInvalid =
    "You must specify a valid variable (any character from A to Z) to replace and the production "
    "rule for the variable.";
inline constexpr const char* kMsgNoRuleSelected = "You have not selected the rule to remove.";
inline constexpr const char* kMsgNoLsystemApplet =
    "We're sorry, but currently there is no Java applet available for generating the L-System "
    "fractal.";

inline constexpr const char* kDefaultAxiom = "F++F++F";
inline constexpr const char* kDefaultRule = "F=F-F++F-F";
inline constexpr int kDefaultAngleIncrement = 60;
inline constexpr int kDefaultInitialAngle = 0;
inline constexpr int kDefaultIterations = 3;
inline constexpr int kMaxLsystemIterations = 36;

// Upper-cases the text and keeps only the letters and the command characters the turtle knows.
std::string filterLsystemString(std::string_view text);
// True when every "]" closes an earlier "[" and none stays open.
bool bracketsBalanced(std::string_view text);

// Why a text cannot serve as an axiom or a rule body; the filtered text when it can.
struct CheckedString {
    std::string text;
    const char* error = nullptr; // one of the messages above, or null
};
CheckedString checkAxiom(std::string_view text);
CheckedString checkReplacement(std::string_view text);

class CLsystemDoc : public CFractalDoc {
public:
    // Leaves the rule list empty: a loaded document takes the file's rules.
    CLsystemDoc();
    // A document made by File New: the constructor's state plus the default rule.
    static std::unique_ptr<CLsystemDoc> makeNew();

    void Serialize(Archive& ar) override;
    // No applet draws L-Systems: the web-page export answers with a message and writes nothing.
    const char* webPageRefusal() const override { return kMsgNoLsystemApplet; }

    const std::string& notes() const { return m_strNotes; }
    const std::string& axiom() const { return m_strAxiom; }
    const std::vector<std::string>& rules() const { return m_rules; }
    int angleIncrement() const { return m_nAngleInc; }
    int initialAngle() const { return m_nInitAngle; }
    int iterations() const { return m_nIterations; }
    bool stretch() const { return m_bStretch; }

    // Plain setters; the properties sheet decides what marks the document modified.
    void setNotes(const std::string& notes) { m_strNotes = notes; }
    void setAxiom(const std::string& axiom) { m_strAxiom = axiom; }
    void setRules(std::vector<std::string> rules) { m_rules = std::move(rules); }
    void setAngleIncrement(int degrees) { m_nAngleInc = degrees; }
    void setInitialAngle(int degrees) { m_nInitAngle = degrees; }
    // The run parameters: never saved, so they never mark the document modified.
    void setRunParameters(int iterations, bool stretch);

private:
    std::unique_ptr<CFractalDoc> cloneEmpty() const override;
    void assignFrom(const CFractalDoc& other) override;

    std::string m_strNotes;
    std::string m_strAxiom = kDefaultAxiom;
    std::vector<std::string> m_rules;
    int m_nAngleInc = kDefaultAngleIncrement;
    int m_nInitAngle = kDefaultInitialAngle;
    int m_nIterations = kDefaultIterations;
    bool m_bStretch = false;
};

} // namespace fractals
