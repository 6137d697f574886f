// Texts of the about box.
#pragma once
#include <string>

#include "platform/platform.h"

namespace bv {

extern const char* const kAboutCaption;      // "Info"
extern const char* const kAboutProductName;  // "Brevisto"
extern const char* const kAboutCredits;      // the static credits area

// "Version " + v: a version text a.b.c.d gives "a.b [a.b.c.dddd]" (d with at least four
// digits); any other text is shown as it is, an empty one gives "Version ".
std::string VersionLabel(const std::string& versionText);
// The label for the program file's version resource.
std::string ProgramVersionLabel(System& system);

// "DD.MM.YYYY hh:nn:ss" from the compiler's __DATE__ ("Jul 15 2009") and __TIME__; empty when
// the texts do not have that form.
std::string BuildStampText(const char* compilerDate, const char* compilerTime);
// "vom " + the build stamp of this program.
std::string BuildDateLabel();

}  // namespace bv
