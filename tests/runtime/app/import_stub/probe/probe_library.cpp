// A library whose functions take arguments in every register class, to check the import stub's resolver.
#include <cstdarg>

#define PROBE_API __attribute__((visibility("default")))

struct ProbeTriple {
    long a, b, c;
};

PROBE_API long ProbeIntegers(long a, long b, long c, long d, long e, long f) {
    return a + 10 * b + 100 * c + 1000 * d + 10000 * e + 100000 * f;
}

PROBE_API double ProbeFloats(double x0, double x1, double x2, double x3, double x4, double x5, double x6,
                             double x7) {
    return x0 + 2 * x1 + 4 * x2 + 8 * x3 + 16 * x4 + 32 * x5 + 64 * x6 + 128 * x7;
}

// Variadic: the caller passes the number of vector registers used in al.
PROBE_API double ProbeVariadic(int count, ...) {
    va_list args;
    va_start(args, count);
    double sum = 0;
    for (int i = 0; i < count; ++i)
        sum = sum * 10 + va_arg(args, double);
    va_end(args);
    return sum;
}

// Returned through a hidden pointer in rdi.
PROBE_API ProbeTriple ProbeTripleOf(long a, long b, long c) {
    return {c, b, a};
}
