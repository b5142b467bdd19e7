#include "file_header.h"

namespace fractals {

int ReadWriteFileHeader(Archive& ar)
{
    if (ar.IsStoring()) {
        ar.writeString(kProductText);
        ar.writeInt32(kFileMagic);
        for (std::int32_t v : kFileVersion)
            ar.writeInt32(v);
        ar.writeString(kAuthorText);
        ar.writeString(kNoticeText);
        ar.writeString(kMakerText);
        return 0;
    }
    const auto fail = [] { throw ArchiveException(ArchiveException::badIndex); };
    if (ar.readString() != kProductText)
        fail();
    if (ar.readInt32() != kFileMagic)
        fail();
    std::int32_t version[4];
    for (auto& v : version)
        v = ar.readInt32();
    if (ar.readString() != kAuthorText)
        fail();
    (void)ar.readString(); // notice line
    if (ar.readString() != kMakerText)
        fail();
    return version[0];
}

} // namespace fractals
