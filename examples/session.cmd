# A DORVE session: lines starting with # are comments.
Info
Quit
