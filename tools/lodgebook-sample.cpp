// Placeholder until the sample folder writer lands.
int main() { return 0; }
