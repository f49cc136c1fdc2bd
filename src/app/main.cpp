// Placeholder until the main menu lands.
int main() { return 0; }
