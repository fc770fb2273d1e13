#include "host/error_pages.h"

#include "quenmark/page_context.h"

namespace quenmark::host {

std::string StatusTitle(int status) {
  switch (status) {
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 413: return "Content Too Large";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Error " + std::to_string(status);
  }
}

std::string ErrorPageHtml(int status, const std::string& detail) {
  std::string title = StatusTitle(status);
  return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title +
         "</title></head><body>\n<h1>" + title + "</h1>\n<p>" + Server::HTMLEncode(detail) +
         "</p>\n<p><a href=\"/\">Go to the home page</a></p>\n</body></html>\n";
}

}  // namespace quenmark::host
