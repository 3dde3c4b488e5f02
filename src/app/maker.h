// The maker's name, copyright line and web-site URL: the one place that names the
// maker. Read by the program and by the version resource, hence plain macros.
// The web site is a reserved .example address until the project has a home page.
#ifndef VINTRELL_APP_MAKER_H_
#define VINTRELL_APP_MAKER_H_

#define VINTRELL_MAKER "Quorvastel"
#define VINTRELL_COPYRIGHT_LINE "Copyright (c) 2026 Quorvastel"
#define VINTRELL_WEB_SITE_URL "http://quorvastel.example/"

#ifndef RC_INVOKED
namespace vintrell {

constexpr char kCopyrightLine[] = VINTRELL_COPYRIGHT_LINE;
constexpr char kWebSiteUrl[] = VINTRELL_WEB_SITE_URL;

}  // namespace vintrell
#endif

#endif  // VINTRELL_APP_MAKER_H_
