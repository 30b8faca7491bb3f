#ifdef _WIN32
#include <conio.h>
#include <io.h>

#include <cstdio>

#include "tools/xm/play_keys.h"

namespace korvanthe {

// The console already hands keys over one by one to _getch; nothing to set.
struct PlayKeys::Terminal {
    bool active = false;
};

PlayKeys::PlayKeys() : terminal_(std::make_unique<Terminal>()) {
    terminal_->active = _isatty(_fileno(stdin)) != 0;
}

PlayKeys::~PlayKeys() = default;

bool PlayKeys::active() const {
    return terminal_->active;
}

PlayKey PlayKeys::next() {
    while (terminal_->active && _kbhit()) {
        const int key = _getch();
        // Arrow and function keys arrive as 0 or 0xE0 followed by their code.
        if (key == 0 || key == 0xE0) {
            switch (_getch()) {
            case 72: // Up
            case 73: // Page Up
                return PlayKey::PreviousOrder;
            case 80: // Down
            case 81: // Page Down
                return PlayKey::NextOrder;
            case 75:
                return PlayKey::Back;
            case 77:
                return PlayKey::Forward;
            case 71:
                return PlayKey::Start;
            default:
                continue;
            }
        }
        if (key == 27) {
            return PlayKey::Quit;
        }
        char text = static_cast<char>(key);
        int used = 0;
        if (const PlayKey decoded = decodePlayKey(&text, 1, true, &used); decoded != PlayKey::None) {
            return decoded;
        }
    }
    return PlayKey::None;
}

} // namespace korvanthe
#endif
