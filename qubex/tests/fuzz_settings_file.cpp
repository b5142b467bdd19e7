// Any bytes as a settings file: no crash, and every value ends inside its range.
#include "files/settings_file.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const qubex::Settings s =
        qubex::parseSettings(std::string_view(reinterpret_cast<const char*>(data), size));
    const bool inRange =
        s.matrix_length >= 1 && s.matrix_length <= 32 && s.generation.iteration >= 100 &&
        s.generation.iteration <= 50000 && s.xrot_step >= 0 && s.xrot_step <= 180 &&
        s.yrot_step >= 0 && s.yrot_step <= 180 && s.display.fog_color <= 0xFFFFFF &&
        s.display.background_color <= 0xFFFFFF && s.display.point_color <= 0xFFFFFF;
    if (!inRange)
        std::abort();
    // Written back, the same settings come out again.
    const qubex::Settings again = qubex::parseSettings(qubex::formatSettings(s));
    if (qubex::formatSettings(again) != qubex::formatSettings(s))
        std::abort();
    return 0;
}
