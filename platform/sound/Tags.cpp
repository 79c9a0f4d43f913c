#include "Tags.h"

#include <mpg123.h>
#include <sndfile.h>

#include <cstring>
#include <string_view>

namespace fsound {

namespace {

std::string Text(const char* text) {
    return text != nullptr ? std::string(text) : std::string();
}

// ID3v2 text arrives converted to UTF-8; an ID3v1 field is a space- or NUL-padded fixed
// width of ISO 8859-1, which every byte of is a code point of its own.
std::string FromLatin1(const char* field, std::size_t width) {
    std::string_view bytes(field, strnlen(field, width));
    while (!bytes.empty() && bytes.back() == ' ') {
        bytes.remove_suffix(1);
    }
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            text += c;
        } else {
            text += static_cast<char>(0xC0 | (byte >> 6));
            text += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return text;
}

std::string Id3Text(const mpg123_string* v2, const char* v1, std::size_t v1Width) {
    if (v2 != nullptr && v2->fill > 1) {
        return std::string(v2->p, strnlen(v2->p, v2->fill));
    }
    return v1 != nullptr ? FromLatin1(v1, v1Width) : std::string();
}

// libmpg123 reads the ID3v2 tag in front of the first frame, and the ID3v1 tag at the end
// of a file it can seek in, when it opens it and finds that frame.
Tags ReadMpegTags(const std::string& path) {
    Tags tags;
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    if (handle == nullptr) {
        return tags;
    }
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    mpg123_id3v1* v1 = nullptr;
    mpg123_id3v2* v2 = nullptr;
    if (mpg123_open(handle, path.c_str()) == MPG123_OK &&
        mpg123_getformat(handle, &rate, &channels, &encoding) == MPG123_OK &&
        (mpg123_meta_check(handle) & MPG123_ID3) != 0 &&
        mpg123_id3(handle, &v1, &v2) == MPG123_OK) {
        tags.title = Id3Text(v2 ? v2->title : nullptr, v1 ? v1->title : nullptr, 30);
        tags.artist = Id3Text(v2 ? v2->artist : nullptr, v1 ? v1->artist : nullptr, 30);
        tags.album = Id3Text(v2 ? v2->album : nullptr, v1 ? v1->album : nullptr, 30);
    }
    mpg123_close(handle);
    mpg123_delete(handle);
    return tags;
}

} // namespace

Tags ReadTags(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr || (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) {
        if (file != nullptr) {
            sf_close(file);
        }
        // Also a file libsndfile does not take: libmpg123 finds MPEG frames past more junk.
        return ReadMpegTags(path);
    }
    Tags tags{Text(sf_get_string(file, SF_STR_TITLE)), Text(sf_get_string(file, SF_STR_ARTIST)),
              Text(sf_get_string(file, SF_STR_ALBUM))};
    sf_close(file);
    return tags;
}

} // namespace fsound
