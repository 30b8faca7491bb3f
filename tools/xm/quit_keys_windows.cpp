#ifdef _WIN32
#include <conio.h>
#include <io.h>

#include <cstdio>

#include "tools/xm/quit_keys.h"

namespace korvanthe {

// The console already hands keys over one by one to _getch; nothing to set.
struct QuitKeys::Terminal {
    bool active = false;
};

QuitKeys::QuitKeys() : terminal_(std::make_unique<Terminal>()) {
    terminal_->active = _isatty(_fileno(stdin)) != 0;
}

QuitKeys::~QuitKeys() = default;

bool QuitKeys::quitKeyTyped() {
    while (terminal_->active && _kbhit()) {
        const int key = _getch();
        // Arrow and function keys arrive as 0 or 0xE0 followed by their code.
        if (key == 0 || key == 0xE0) {
            _getch();
            continue;
        }
        if (key == 'q' || key == 'Q' || key == 27) {
            return true;
        }
    }
    return false;
}

} // namespace korvanthe
#endif
