// Start-up baseline for kelvra-cli: a console program built with the same
// flags and manifest that ends at once.
int main()
{
    return 0;
}
