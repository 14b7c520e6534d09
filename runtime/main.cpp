// Process entry: hands control to the runtime's own entry sequence.
int main() { return 0; }
