#ifndef _WIN32
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>

#include "tools/xm/play_keys.h"

namespace korvanthe {

struct PlayKeys::Terminal {
    termios saved{};
    bool active = false;
    char pending[32];
    int pendingLength = 0;
};

PlayKeys::PlayKeys() : terminal_(std::make_unique<Terminal>()) {
    if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &terminal_->saved) == 0) {
        termios raw = terminal_->saved;
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        raw.c_cc[VMIN] = 0;
        raw.c_cc[VTIME] = 0;
        terminal_->active = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    }
}

PlayKeys::~PlayKeys() {
    if (terminal_->active) {
        tcsetattr(STDIN_FILENO, TCSANOW, &terminal_->saved);
    }
}

bool PlayKeys::active() const {
    return terminal_->active;
}

PlayKey PlayKeys::next() {
    Terminal& terminal = *terminal_;
    if (!terminal.active) {
        return PlayKey::None;
    }
    for (;;) {
        // A key's sequence is written at once: what is not there yet after
        // a short wait is not coming, and a lone Escape is the Escape key.
        const bool waiting = terminal.pendingLength > 0;
        pollfd input{STDIN_FILENO, POLLIN, 0};
        bool final = true;
        if (terminal.pendingLength < static_cast<int>(sizeof terminal.pending) &&
            poll(&input, 1, waiting ? 10 : 0) > 0) {
            const ssize_t count = read(STDIN_FILENO, terminal.pending + terminal.pendingLength,
                                       sizeof terminal.pending - terminal.pendingLength);
            if (count > 0) {
                terminal.pendingLength += static_cast<int>(count);
                final = false;
            }
        }
        if (terminal.pendingLength == 0) {
            return PlayKey::None;
        }
        int used = 0;
        const PlayKey key =
            decodePlayKey(terminal.pending, terminal.pendingLength, final, &used);
        if (used == 0) {
            continue; // the rest of a sequence is on its way
        }
        std::memmove(terminal.pending, terminal.pending + used,
                     static_cast<size_t>(terminal.pendingLength - used));
        terminal.pendingLength -= used;
        if (key != PlayKey::None) {
            return key;
        }
    }
}

} // namespace korvanthe
#endif
