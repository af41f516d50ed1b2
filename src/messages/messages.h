// Every text the program prints, in one place. The definitions are UTF-8 in
// the source and are compiled to the console's encoding (Shift-JIS by
// default), so they are declared here and defined in messages.cpp alone.
// The lowest layer: it includes nothing of the program, and every other
// folder may include it.
#pragma once

// Banner and dialogue.
extern const char kBannerStars[];
extern const char kBannerTitle[];
extern const char kBannerCredit[];
extern const char kBannerClosingStars[];
extern const char kPromptInputName[];
extern const char kEchoInputName[];
extern const char kOverwriteWarning[];
extern const char kPromptOutputName[];
extern const char kEchoOutputName[];
extern const char kSameNameNotice[];
extern const char kModeMenuFirstHalf[];
extern const char kModeMenuSecondHalf[];
extern const char kCoefficientHint[];
extern const char kCoefficientScale[];
extern const char kCoefficientPrompt[];
extern const char kNoiseModeHeading[];
extern const char kNoiseModeMenu[];
extern const char kThresholdHint[];
extern const char kMaxThresholdPrompt[];
extern const char kMinThresholdPrompt[];

// Dialogue refusals.
extern const char kAnswersEnded[];
extern const char kInputNameTooLong[];
extern const char kOutputNameTooLong[];
extern const char kRenamedOutputTooLong[];
extern const char kInputNameHasBlank[];
extern const char kOutputNameHasBlank[];
extern const char kInputNameEndsInFolder[];
extern const char kOutputNameEndsInFolder[];
extern const char kRenamedOutputIsInput[];

// Run sequence.
extern const char kPleaseWait[];
extern const char kFilterDone[];

// Filters.
extern const char kSmoothingStarted[];
extern const char kMedianStarted[];
extern const char kProgressFormat[];  // one double: percent done

// Files.
extern const char kReadOpenFailed[];
extern const char kReadOpenFailedTrailer[];
extern const char kWriteOpenFailed[];
extern const char kWriteFailed[];
extern const char kWriteWouldReplaceInput[];

// Refusals of a file that loadBmp turned down, one per reason; the image
// layer maps its reasons onto them.
extern const char kRefusalTruncatedHeader[];
extern const char kRefusalNotABmp[];
extern const char kRefusalUnsupportedHeader[];
extern const char kRefusalBadPixelOffset[];
extern const char kRefusalUnsupportedBitDepth[];
extern const char kRefusalCompressed[];
extern const char kRefusalEmptyPicture[];
extern const char kRefusalNegativeWidth[];
extern const char kRefusalPictureTooLarge[];
extern const char kRefusalTruncatedPixels[];
extern const char kRefusalTrailingTooLarge[];
extern const char kRefusalReadError[];
extern const char kRefusalUnknown[];  // a reason with no text of its own
