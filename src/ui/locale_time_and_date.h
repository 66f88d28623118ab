#pragma once

namespace trawlix {

// The core's notices (a digest's "were sent at ...") show times and dates in the short
// formats of the program's QLocale, as the windows do.
void InstallLocaleTimeAndDate();

}  // namespace trawlix
