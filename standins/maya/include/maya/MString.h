#ifndef _MString
#define _MString

#include <maya/MTypes.h>
#include <string>
#include <ostream>

OPENMAYA_MAJOR_NAMESPACE_OPEN

class MString {
public:
    MString();
    MString(const char* text);
    MString(const char* text, int length);
    MString(const MString& other);
    ~MString();

    MString& operator=(const MString& other);
    MString& operator=(const char* text);
    MString& operator+=(const MString& other);
    MString& operator+=(const char* text);

    bool operator==(const MString& other) const;
    bool operator==(const char* other) const;
    bool operator!=(const MString& other) const;
    bool operator!=(const char* other) const;

    const char* asChar() const;
    unsigned int length() const;
    unsigned int numChars() const;

    friend MString operator+(const MString& a, const MString& b);
    friend MString operator+(const MString& a, const char* b);

private:
    std::string text_;
};

std::ostream& operator<<(std::ostream& os, const MString& text);

OPENMAYA_NAMESPACE_CLOSE

#endif
