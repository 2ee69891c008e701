// Intentionally empty: lets a subsystem library exist before its first source file.
