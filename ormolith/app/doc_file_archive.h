#pragma once
// The document file: one XML-like line per parameter, in the order the describers visit them.
//   <?xml version="1.0"?>
//   <document>
//   <var name="Fractal Type" value="Affine"/>
//   <folder name="General">
//   	<var name="Precision" value="2"/>
//   ...
//   </folder>
//   </document>
// Nothing is escaped: the reader takes a value up to the line's own ending, so inner quotes
// survive. Reading is strictly sequential; a line that does not match its node is consumed and
// changes nothing.
#include <istream>
#include <ostream>
#include <string>

#include "param.h"

namespace ormolith {

class DocFileArchive : public ParamArchive {
public:
    // Longest node line the reader looks at; longer lines are consumed and do not match.
    static constexpr std::size_t kMaxLineLength = 299;

    explicit DocFileArchive(std::ostream& out); // writing
    explicit DocFileArchive(std::istream& in);  // reading

    void beginDocument();
    void endDocument();

    bool visit(ParamNode& node) override;
    void closeGroup() override;

    // Node lines read that did not have the expected tag, name or value form. A group without a
    // value (it reads back as a failed visit by design) is not counted when its line matches.
    int unmatchedLines() const { return unmatched_; }

private:
    bool writeNode(const ParamNode& node);
    bool readNode(const ParamNode& node);
    bool readNodeLine(std::string& line);
    void skipLine();

    std::ostream* out_ = nullptr;
    std::istream* in_ = nullptr;
    std::string line_;
    std::string valueText_; // a kind 106 value points here until the next visit
    int unmatched_ = 0;
};

} // namespace ormolith
