#include "DBConsts.h"

namespace Dbconsts {
#define DB_MESSAGE(name, identifier, text)                                                                   \
    const TResStringRec name = {DBConstsModule, identifier, #name, text};
#include "DBConsts.def"
#undef DB_MESSAGE
} // namespace Dbconsts

AnsiString LoadDBMessage(const TResStringRec& Message, std::initializer_list<AnsiString> Args) {
    AnsiString text = LoadResString(&Message);
    AnsiString out;
    out.reserve(text.size());
    auto arg = Args.begin();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's') {
            if (arg != Args.end()) out += *arg++;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}
