// The page's entry points into the demo (platform/web/web_page.cpp): start,
// frame by frame, status. The browser's events drive everything after the
// program's main has returned.
#pragma once

namespace korvanthe {

// The program's main on the page: returns 0 at once, since nothing starts
// before the page says so. Calling it links the entry points in.
int runWebPage();

} // namespace korvanthe
