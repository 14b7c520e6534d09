// A display-driver file that exports none of the entry points, as the driver was before it had any.
namespace {
[[maybe_unused]] int nothingExported = 0;
}
