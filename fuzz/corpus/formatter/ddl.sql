CREATE TABLE `t` (`id` int(11) NOT NULL AUTO_INCREMENT, `v` varchar(10) DEFAULT 'a,b', PRIMARY KEY (`id`)) ENGINE=InnoDB;
insert into t (v) values ('x'), ('y'); update t set v = concat(v, '-') where id > 1; delete from t where v is null;
ALTER TABLE t ADD COLUMN w int AFTER v, DROP INDEX idx;
WITH RECURSIVE r AS (SELECT 1 n UNION SELECT n + 1 FROM r WHERE n < 5) SELECT * FROM r;
