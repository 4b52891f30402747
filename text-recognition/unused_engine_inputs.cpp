// Stand-ins for the two inputs of the statically linked Tesseract that the helper never uses, so
// that neither libcurl nor libarchive (and the TLS, Kerberos and compression stacks behind them)
// is loaded into the helper.
//
// - libcurl: Tesseract fetches an image named by a URL. The helper hands the engine pictures it
//   decoded itself; every call here fails, as libcurl does when it cannot start.
// - libarchive: Tesseract first tries to open language data as an archive. With no archive reader
//   it reads the plain .traineddata file, which is what the distribution installs.
#define CURL_DISABLE_TYPECHECK
#include <archive.h>
#include <archive_entry.h>
#include <curl/curl.h>

extern "C" {

CURL* curl_easy_init() {
  return nullptr;
}

CURLcode curl_easy_setopt(CURL* /*handle*/, CURLoption /*option*/, ...) {
  return CURLE_FAILED_INIT;
}

CURLcode curl_easy_perform(CURL* /*handle*/) {
  return CURLE_FAILED_INIT;
}

void curl_easy_cleanup(CURL* /*handle*/) {}

const char* curl_easy_strerror(CURLcode /*code*/) {
  return "Reading images from URLs is not available.";
}

struct archive* archive_read_new() {
  return nullptr;
}

int archive_read_support_filter_all(struct archive* /*reader*/) {
  return ARCHIVE_FATAL;
}

int archive_read_support_format_all(struct archive* /*reader*/) {
  return ARCHIVE_FATAL;
}

int archive_read_open_filename(struct archive* /*reader*/, const char* /*path*/,
                               size_t /*blockSize*/) {
  return ARCHIVE_FATAL;
}

int archive_read_next_header(struct archive* /*reader*/, struct archive_entry** /*entry*/) {
  return ARCHIVE_FATAL;
}

la_ssize_t archive_read_data(struct archive* /*reader*/, void* /*buffer*/, size_t /*size*/) {
  return ARCHIVE_FATAL;
}

int archive_read_free(struct archive* /*reader*/) {
  return ARCHIVE_OK;
}

const char* archive_entry_pathname(struct archive_entry* /*entry*/) {
  return nullptr;
}

la_int64_t archive_entry_size(struct archive_entry* /*entry*/) {
  return 0;
}

}  // extern "C"
