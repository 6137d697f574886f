// The program's version for both resource scripts and the program's texts: a new version is
// set here alone.
#pragma once

#define BREVISTO_VERSION 4,8,0,12
#define BREVISTO_VERSION_TEXT "4.8.0.12"
// The product version as the window title, the report, the log and the version resources
// show it.
#define BREVISTO_PRODUCT_VERSION "4.80"
