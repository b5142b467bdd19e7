// Any bytes as a code file: the reader must never crash, never touch a slot past the map
// count it accepted, and only ever accept counts of 1..32.
#include "files/code_file.h"

#include <cstdlib>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    qubex::IfsCode code;
    if (qubex::readCode(in, code) == qubex::CodeReadStatus::Ok) {
        if (code.matrix_length < 1 || code.matrix_length > qubex::kMaxMaps)
            std::abort();
        // What was read must survive writing and reading again.
        std::istringstream again(qubex::formatCode(code));
        qubex::IfsCode back;
        if (qubex::readCode(again, back) != qubex::CodeReadStatus::Ok ||
            back.matrix_length != code.matrix_length)
            std::abort();
    }
    return 0;
}
