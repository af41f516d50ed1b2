// Which lanes the fast forms run in on this machine: the name the
// benchmark and the tests print beside their figures.
#pragma once

// "SSE2", or "one-byte" where the build has no SSE2.
const char* fastLanePathName();
