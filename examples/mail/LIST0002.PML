\TITLE Board
\NOSIG Y
\S Monthly notice
"Kerstin Jones" <kerstin.jones@example.net>
john.kowalczyk@example.com (John Kowalczyk)
nuno.smith@example.com
"Sanne Ferreira" <sanne.ferreira@example.org>
sanne.smith@example.com (Sanne Smith)
agnes.vance@example.com
@LIST0001.PML

jonas.sato@mail.example.com
hans.gallagher@mail.example.com (Hans Gallagher)
mirela.carrow@example.com (Mirela Carrow)
viggo.whitlock@mail.example.com
"Bram Whitlock" <bram.whitlock@post.example.org>

"Hamid Jonesby" <hamid.jonesby@example.org>
nuno.schoen@example.net
"Hans Carrow" <hans.carrow@mail.example.com>
"Quentin Delacroix" <quentin.delacroix@mail.example.com>
bram.marchetti@example.com
