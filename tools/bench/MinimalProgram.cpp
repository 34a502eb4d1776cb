// The smallest Windows program: what Wine's own start-up costs.
int main()
{
    return 0;
}
