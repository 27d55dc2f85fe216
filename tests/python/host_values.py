"""Host objects that are numbers only through one conversion protocol each, for testing which
argument kinds a binding accepts."""


class IndexOnly:
    """An integer only through __index__ (accepted even where conversion is not allowed)."""

    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class IntOnly:
    """An integer only through __int__ (accepted only where conversion is allowed)."""

    def __init__(self, value=1):
        self.value = value

    def __int__(self):
        return self.value


class FloatOnly:
    """A float only through __float__."""

    def __init__(self, value):
        self.value = value

    def __float__(self):
        return self.value
