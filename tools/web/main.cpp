// The demo as a web page's program: its entry points and the frame driving
// are the web backend's (platform/web/web_page.h).
#include "platform/web/web_page.h"

int main() {
    return korvanthe::runWebPage();
}
