#ifndef _MStatus
#define _MStatus

#include <maya/MTypes.h>
#include <maya/MString.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MStatus {
public:
    enum MStatusCode {
        kSuccess = 0,
        kFailure,
        kInsufficientMemory,
        kInvalidParameter,
        kLicenseFailure,
        kUnknownParameter,
        kNotImplemented,
        kNotFound,
        kEndOfFile
    };

    MStatus();
    MStatus(MStatusCode code);
    MStatus(const MStatus& other);
    MStatus& operator=(const MStatus& other);

    bool operator==(const MStatus& other) const;
    bool operator==(MStatusCode code) const;
    bool operator!=(const MStatus& other) const;
    bool operator!=(MStatusCode code) const;
    operator bool() const;

    MStatusCode statusCode() const;
    MString errorString() const;
    void perror(const char* prefix = NULL) const;
    void perror(const MString& prefix) const;
    void clear();

private:
    MStatusCode code_;
};

bool operator==(MStatus::MStatusCode code, const MStatus& status);
bool operator!=(MStatus::MStatusCode code, const MStatus& status);

OPENMAYA_NAMESPACE_CLOSE

// MS::kSuccess and the like name MStatus's own codes.
typedef MStatus MS;

// The build passes full paths in __FILE__; the report names the file alone.
#ifdef __FILE_NAME__
#define MSTANDIN_FILE_NAME __FILE_NAME__
#else
#define MSTANDIN_FILE_NAME mayaStandinBaseName(__FILE__)
#endif

const char* mayaStandinBaseName(const char* path);

#define CHECK_MSTATUS(_status)                                              \
    do {                                                                    \
        MStatus _maya_status = (_status);                                   \
        if (MStatus::kSuccess != _maya_status) {                            \
            std::cerr << "\nAPI error detected in " << MSTANDIN_FILE_NAME   \
                      << " at line " << __LINE__ << std::endl;              \
            _maya_status.perror("");                                        \
        }                                                                   \
    } while (0)

#endif
