\TITLE Parents
\NOSIG Y
\S Monthly notice
@LIST0001.PML
@LIST0002.PML
edith.whitlock@mail.example.com
@LIST0005.PML
quentin.vance@mail.example.com
"Sanne Schön" <sanne.schoen@example.org>
"John Underhill" <john.underhill@post.example.org>
