#include "Transliterate.h"

#include <iconv.h>
#include <locale.h>

#include <cerrno>
#include <memory>
#include <type_traits>

#include "platform/Ansi.h"

namespace sender {

namespace {

struct IconvClose {
    void operator()(iconv_t cd) const { iconv_close(cd); }
};
using Iconv = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvClose>;

struct LocaleFree {
    void operator()(locale_t locale) const { freelocale(locale); }
};
using Locale = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleFree>;

}  // namespace

std::string TransliterateToWindows1252(std::string_view utf8) {
    // iconv transliterates by the thread's LC_CTYPE; the C locale a program starts in knows
    // no look-alikes, so a UTF-8 one is made the thread's for the conversion.
    const Locale locale(newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr)));
    const locale_t previous = locale ? uselocale(locale.get()) : static_cast<locale_t>(nullptr);
    const Iconv cd(iconv_open("WINDOWS-1252//TRANSLIT", "UTF-8"));
    std::string ansi;
    if (cd.get() != reinterpret_cast<iconv_t>(-1)) {
        ansi.assign(utf8.size() * 4 + 16, '\0');
        char* in = const_cast<char*>(utf8.data());  // iconv's signature; it never writes there
        std::size_t inLeft = utf8.size();
        char* out = ansi.data();
        std::size_t outLeft = ansi.size();
        while (inLeft > 0) {
            if (iconv(cd.get(), &in, &inLeft, &out, &outLeft) != static_cast<std::size_t>(-1))
                break;
            if (errno == E2BIG || outLeft == 0) break;
            *out++ = '?';  // a byte that is not UTF-8
            --outLeft;
            ++in;
            --inLeft;
        }
        ansi.resize(ansi.size() - outLeft);
    } else {
        ansi = platform::ToAnsi(utf8);  // no iconv: '?' for what the code page lacks
    }
    if (previous) uselocale(previous);
    return platform::FromAnsi(ansi);
}

}  // namespace sender
