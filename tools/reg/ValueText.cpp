#include "ValueText.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string_view>

#include "common/Utf8.h"
#include "platform/Ansi.h"
#include "platform/Registry.h"

namespace reg {

using namespace platform;

namespace {

struct TypeName {
    const char* name;
    DWORD type;
};

constexpr TypeName kTypes[] = {
    {"REG_NONE", REG_NONE},
    {"REG_SZ", REG_SZ},
    {"REG_EXPAND_SZ", REG_EXPAND_SZ},
    {"REG_BINARY", REG_BINARY},
    {"REG_DWORD", REG_DWORD},
    {"REG_DWORD_BIG_ENDIAN", REG_DWORD_BIG_ENDIAN},
    {"REG_LINK", REG_LINK},
    {"REG_MULTI_SZ", REG_MULTI_SZ},
    {"REG_RESOURCE_LIST", 8},
    {"REG_FULL_RESOURCE_DESCRIPTOR", 9},
    {"REG_RESOURCE_REQUIREMENTS_LIST", 10},
    {"REG_QWORD", REG_QWORD},
};

}  // namespace

std::string Lower(std::string text) {
    for (char& c : text)
        c = FoldCase(c);
    return text;
}

std::string TypeText(uint32_t type) {
    for (const TypeName& t : kTypes) {
        if (t.type == type) return t.name;
    }
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", type);
    return text;
}

std::optional<uint32_t> TypeOf(const std::string& name) {
    for (const TypeName& t : kTypes) {
        if (EqualNoCase(name, t.name)) return t.type;
    }
    return std::nullopt;
}

namespace {

std::string Hex(const std::string& bytes, bool upper) {
    std::string out;
    char two[4];
    for (const char c : bytes) {
        std::snprintf(two, sizeof two, upper ? "%02X" : "%02x", static_cast<unsigned char>(c));
        out += two;
    }
    return out;
}

uint64_t LittleEndian(const std::string& bytes) {
    uint64_t number = 0;
    for (size_t i = bytes.size(); i-- > 0;)
        number = (number << 8) | static_cast<unsigned char>(bytes[i]);
    return number;
}

}  // namespace

std::string DataText(const Value& value) {
    const std::string& d = value.data;
    switch (value.type) {
        case REG_SZ:
        case REG_EXPAND_SZ: {
            const std::u16string text = utf8::Utf16FromBytes(d);
            return utf8::FromUtf16(std::u16string_view(text).substr(0, text.find(u'\0')));
        }
        case REG_MULTI_SZ: {
            std::string out;
            const std::u16string text = utf8::Utf16FromBytes(d);
            std::u16string_view rest(text);
            while (!rest.empty() && rest.front() != u'\0') {
                const size_t end = std::min(rest.find(u'\0'), rest.size());
                if (!out.empty()) out += "\\0";
                out += utf8::FromUtf16(rest.substr(0, end));
                rest.remove_prefix(std::min(end + 1, rest.size()));
            }
            return out;
        }
        case REG_DWORD:
        case REG_QWORD:
            if (d.size() == (value.type == REG_DWORD ? 4u : 8u)) {
                char text[24];
                std::snprintf(text, sizeof text, "0x%llx",
                              static_cast<unsigned long long>(LittleEndian(d)));
                return text;
            }
            return Hex(d, true);
        default:
            return Hex(d, true);
    }
}

// Whether two names are the same to the registry: equal without regard to case.
bool SameName(const std::string& a, const std::string& b) {
    std::u16string x = utf8::ToUtf16(a), y = utf8::ToUtf16(b);
    for (char16_t& unit : x)
        unit = UpperCaseUnit(unit);
    for (char16_t& unit : y)
        unit = UpperCaseUnit(unit);
    return x == y;
}

namespace {

// The UTF-16LE bytes of a text, with its terminating NUL.
std::string TextData(const std::string& text) {
    return utf8::Utf16Bytes(utf8::ToUtf16(text)) + std::string(2, '\0');
}

}  // namespace

std::string DataBytes(uint32_t type, const std::string& data, const std::string& separator) {
    auto number = [&](int bits) -> uint64_t {
        const bool hex = data.rfind("0x", 0) == 0 || data.rfind("0X", 0) == 0;
        const std::string digits = hex ? data.substr(2) : data;
        const std::string kind = bits == 32 ? "DWORD" : "QWORD";
        if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF"
                                                           : "0123456789") != std::string::npos) {
            throw std::invalid_argument("Invalid " + kind + " value: '" + data + "'");
        }
        unsigned long long n = 0;
        try {
            size_t used = 0;
            n = std::stoull(digits, &used, hex ? 16 : 10);
        } catch (...) {
            throw std::invalid_argument("Invalid " + kind + " value: '" + data + "' does not fit");
        }
        if (bits == 32 && n > 0xFFFFFFFFull) {
            throw std::invalid_argument("Invalid DWORD value: '" + data +
                                        "' does not fit in 32 bits");
        }
        return n;
    };
    auto little = [](uint64_t n, int bytes) {
        std::string out;
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<char>((n >> (8 * i)) & 0xFF));
        return out;
    };
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
            return TextData(data);
        case REG_MULTI_SZ: {
            std::string out;
            const std::string sep = separator.empty() ? "\\0" : separator;
            size_t start = 0;
            while (start <= data.size() && !data.empty()) {
                const size_t end = std::min(data.find(sep, start), data.size());
                out += TextData(data.substr(start, end - start));
                start = end + sep.size();
            }
            return out + std::string(2, '\0');
        }
        case REG_DWORD:
            return little(number(32), 4);
        case REG_QWORD:
            return little(number(64), 8);
        case REG_BINARY:
        case REG_NONE: {
            if (data.size() % 2 != 0 ||
                data.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
                throw std::invalid_argument("Invalid binary data: '" + data +
                                            "' (hex digits in pairs)");
            }
            std::string out;
            for (size_t i = 0; i < data.size(); i += 2) {
                out.push_back(static_cast<char>(std::stoi(data.substr(i, 2), nullptr, 16)));
            }
            return out;
        }
        default:
            throw std::invalid_argument("Unsupported type");
    }
}

}  // namespace reg
