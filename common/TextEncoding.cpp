#include "common/TextEncoding.h"

#include "corvane/Errors.h"

#include <cerrno>
#include <cstdint>
#include <iconv.h>

namespace qm {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD"; // U+FFFD
constexpr const char* kEncodeLocation = "EncodeGbk(Text: string): string";

// One conversion descriptor, closed when it goes out of scope.
class TConverter {
public:
    TConverter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == Invalid())
            throw corvane::ETax(
                corvane::FormatText("The conversion from %s to %s is not available", from, to),
                "TConverter.Create(ToCode, FromCode: string)");
    }
    ~TConverter() { iconv_close(cd_); }
    TConverter(const TConverter&) = delete;
    TConverter& operator=(const TConverter&) = delete;

    // Converts all of input. onInvalid(output) is called for a byte that cannot be converted; it
    // returns false to give up (the result is then empty) or appends a substitute and returns true.
    template <class F> bool Convert(std::string_view input, std::string& output, F onInvalid) {
        char* in = const_cast<char*>(input.data()); // iconv never writes through it
        std::size_t inLeft = input.size();
        output.assign(input.size() * 2 + 8, '\0');
        std::size_t used = 0;
        while (inLeft > 0) {
            char* out = output.data() + used;
            std::size_t outLeft = output.size() - used;
            const std::size_t result = iconv(cd_, &in, &inLeft, &out, &outLeft);
            used = output.size() - outLeft;
            if (result != static_cast<std::size_t>(-1))
                break;
            if (errno == E2BIG) {
                output.resize(output.size() * 2);
                continue;
            }
            // EILSEQ (not a character) or EINVAL (cut off at the end): skip one byte.
            output.resize(used);
            if (!onInvalid(output))
                return false;
            used = output.size();
            output.resize(used + inLeft * 2 + 8);
            ++in;
            --inLeft;
        }
        output.resize(used);
        return true;
    }

private:
    static iconv_t Invalid() { return reinterpret_cast<iconv_t>(static_cast<std::intptr_t>(-1)); }

    iconv_t cd_;
};

// Length of the UTF-8 sequence that starts at bytes[i], or 0 when none does.
std::size_t SequenceLength(std::string_view bytes, std::size_t i) noexcept {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;  // bounds of the second byte, which rule out overlong forms,
    unsigned char high = 0xBF; // surrogates and code points above U+10FFFF
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (bytes.size() - i < length)
        return 0;
    if (byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF)
            return 0;
    return length;
}

} // namespace

bool IsValidUtf8(std::string_view bytes) noexcept {
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = SequenceLength(bytes, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::string DecodeText(std::string_view bytes) {
    if (IsValidUtf8(bytes)) {
        if (bytes.starts_with(kUtf8Bom))
            bytes.remove_prefix(kUtf8Bom.size());
        return std::string(bytes);
    }
    return DecodeGbk(bytes);
}

std::string DecodeGbk(std::string_view bytes) {
    TConverter converter("UTF-8", "GBK");
    std::string result;
    converter.Convert(bytes, result, [](std::string& output) {
        output += kReplacementCharacter;
        return true;
    });
    return result;
}

std::string EncodeGbk(std::string_view utf8) {
    TConverter converter("GBK", "UTF-8");
    std::string result;
    if (!converter.Convert(utf8, result, [](std::string&) { return false; }))
        throw corvane::ETax("The text cannot be encoded as GBK", kEncodeLocation);
    return result;
}

} // namespace qm
