#ifndef _MApiVersion
#define _MApiVersion

// The exported text by which Maya tells which devkit built a plug-in, defined by the one source that includes
// MFnPlugin.h; any other source of the plug-in that includes it defines MNoVersionString first.
#ifndef MNoVersionString

// The text is MAYA_API_VERSION's value, which only the preprocessor can spell.
#define MSTANDIN_VERSION_TEXT(version) MSTANDIN_VERSION_TEXT_OF(version)
#define MSTANDIN_VERSION_TEXT_OF(version) #version

extern "C" {
PLUGIN_EXPORT char MApiVersion[] = MSTANDIN_VERSION_TEXT(MAYA_API_VERSION);
}

#undef MSTANDIN_VERSION_TEXT
#undef MSTANDIN_VERSION_TEXT_OF

#endif

#endif
