// Lets a library target exist before its first source arrives.
