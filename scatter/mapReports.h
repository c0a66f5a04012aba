// How the density map's readers report: a failed Maya call with its status, and a map the compute refuses.
#pragma once

#include <maya/MStatus.h>

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
