// Entry point of the service process; the service host takes over from here.
int main() { return 0; }
