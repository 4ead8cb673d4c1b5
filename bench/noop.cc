// A console program that does nothing: the baseline for the cost of
// starting a process, under Wine and on the host.
int main() { return 0; }
