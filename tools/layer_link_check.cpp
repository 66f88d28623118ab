// Linked with one core layer whole and only the layers below it: the link fails when the
// layer calls upward. Running it does nothing.
int main() { return 0; }
