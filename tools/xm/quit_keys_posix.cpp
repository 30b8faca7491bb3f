#ifndef _WIN32
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "tools/xm/quit_keys.h"

namespace korvanthe {

struct QuitKeys::Terminal {
    termios saved{};
    bool active = false;
};

QuitKeys::QuitKeys() : terminal_(std::make_unique<Terminal>()) {
    if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &terminal_->saved) == 0) {
        termios raw = terminal_->saved;
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        raw.c_cc[VMIN] = 0;
        raw.c_cc[VTIME] = 0;
        terminal_->active = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    }
}

QuitKeys::~QuitKeys() {
    if (terminal_->active) {
        tcsetattr(STDIN_FILENO, TCSANOW, &terminal_->saved);
    }
}

bool QuitKeys::quitKeyTyped() {
    if (!terminal_->active) {
        return false;
    }
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, 0) <= 0) {
        return false;
    }
    char keys[16];
    const ssize_t count = read(STDIN_FILENO, keys, sizeof keys);
    for (ssize_t i = 0; i < count; ++i) {
        if (keys[i] == 'q' || keys[i] == 'Q' || (keys[i] == 27 && count == 1)) {
            return true;
        }
    }
    return false;
}

} // namespace korvanthe
#endif
