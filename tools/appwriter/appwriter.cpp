// The writer of test applications; its formats arrive with the readers they mirror.
namespace appwriter {
int Version() {
    return 1;
}
} // namespace appwriter
