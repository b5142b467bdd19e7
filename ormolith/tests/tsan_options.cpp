// Qt is not built with ThreadSanitizer, and its own thread pool (which the raster paint engine
// and image conversion use for larger areas) synchronises through futexes the checker cannot
// see. Accesses made by interceptors called from such uninstrumented libraries are therefore
// not checked; every access made by this program's own code, the build worker's included,
// still is.
extern "C" const char* __tsan_default_options()
{
    return "ignore_noninstrumented_modules=1";
}
