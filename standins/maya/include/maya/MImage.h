#ifndef _MImage
#define _MImage

#include <maya/MObject.h>
#include <maya/MStatus.h>
#include <maya/MString.h>
#include <maya/MTypes.h>

OPENMAYA_MAJOR_NAMESPACE_OPEN

// An image read from a file into an uncompressed array of pixels: RGBA, four channels per pixel whatever the file
// holds (grey is spread over R, G and B; a missing alpha is opaque), rows from the bottom of the image up. kByte
// pixels are 0 to 255, kFloat ones the file's values (0 to 1 for an 8-bit file). The stand-in reads PNG, JPEG, TIFF
// and OpenEXR.
class MImage {
public:
    enum MPixelType { kUnknown, kByte, kFloat };

    MImage();
    ~MImage();

    MStatus readFromFile(MString pathname, MPixelType type = kByte);
    MStatus getSize(unsigned int& width, unsigned int& height) const;
    MPixelType pixelType() const;
    // Null unless the image holds pixels of that type.
    unsigned char* pixels() const;
    float* floatPixels() const;
    unsigned int depth() const;
    MStatus release();

private:
    MImage(const MImage&);
    MImage& operator=(const MImage&);

    void* _pPixelMap;
    void* _pFloatMap;
    unsigned int width_;
    unsigned int height_;
};

OPENMAYA_NAMESPACE_CLOSE

#endif
