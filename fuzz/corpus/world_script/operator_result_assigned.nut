o * null = e
