// The one place that names the product, its version and the addresses the About box links to.
#pragma once

#define ICONVALE_VERSION_MAJOR 1
#define ICONVALE_VERSION_MINOR 0
#define ICONVALE_VERSION_PATCH 0
#define ICONVALE_VERSION_BUILD 0
#define ICONVALE_VERSION_TEXT "1.0.0"

#define ICONVALE_PRODUCT_NAME "Iconvale"
#define ICONVALE_COMPANY_NAME "Iconvale"
#define ICONVALE_COPYRIGHT "(C) 2026 Iconvale"

// The author's addresses the About box links to. Whoever ships the program sets them when
// configuring the build (CMake cache variables of the same names); these are the defaults.
#ifndef ICONVALE_MAIL_LINK
#define ICONVALE_MAIL_LINK "mailto:iv@example.com"
#endif
#ifndef ICONVALE_WEB_LINK
#define ICONVALE_WEB_LINK "https://example.com/"
#endif
