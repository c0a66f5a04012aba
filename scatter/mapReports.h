// How the density map's readers report: a failed Maya call with its status, and a map the compute refuses.
#pragma once

#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MStringArray.h>

#include <iostream>
#include <string>

inline MStatus reportCall(const char* call, const MStatus& status)
{
    std::cerr << "ERROR " << call << "\n" << status.errorString().asChar() << std::endl;
    return status;
}

inline MStatus refuse(const std::string& why)
{
    std::cerr << "ERROR " << why << "; no points computed" << std::endl;
    return MS::kFailure;
}

// Passes the set `chosen` where the mesh's sets `names` hold it; refuses it otherwise, in the words of the attribute
// that named it and of the kind of set it is.
inline MStatus requireSet(const MStringArray& names, const MString& chosen, const char* attribute, const char* kind)
{
    for (unsigned int i = 0; i < names.length(); ++i)
        if (names[i] == chosen)
            return MS::kSuccess;
    return refuse(std::string(attribute) + " '" + chosen.asChar() + "' is not a " + kind + " of the mesh");
}
