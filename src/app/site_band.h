#pragma once

#include "records/site_settings.h"

class QWidget;

// The "Communication Settings" band and a site's link, by the band's control names: filled
// from the site when it opens, read back into it when a link opens.
namespace siteband {

// Sets the band's controls (in `window`) to the site's link; the password to the site's
// when it is remembered, else the band's default, as at start-up.
void fill(QWidget* window, const SiteSettings& settings);
// The band's link settings now, into `settings` (with the password when it is remembered).
void take(const QWidget* window, SiteSettings& settings);

} // namespace siteband
